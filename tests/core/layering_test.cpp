// The core library must stay free of widgets, web views and the media framework: check the
// libraries the test executable (linked with the core library only) actually loads.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

TEST(Layering, CoreLinksNoWidgetsWebOrMedia) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        EXPECT_EQ(line.find("libQt6Widgets"), std::string::npos) << line;
        EXPECT_EQ(line.find("libQt6WebEngine"), std::string::npos) << line;
        EXPECT_EQ(line.find("libQt6Gui"), std::string::npos) << line;
        EXPECT_EQ(line.find("libgstreamer"), std::string::npos) << line;
    }
}
