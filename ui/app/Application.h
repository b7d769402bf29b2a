// The application: one running copy per user, the program configuration, the main window run
// and the release of the configuration at the end. programs/quillent/main.cpp calls Main.
#pragma once

#include <QStringList>

class QCoreApplication;

class Application {
public:
    static constexpr const char* kConfigFileName = "viewerconfig.cfg";

    // The whole program; returns the process exit code.
    static int main(int argc, char** argv);

    // Process settings that must precede QApplication (web engine sandbox as root, GL sharing).
    static void prepareProcess();

    // The toolkit's own texts (file choosers, message box buttons) in the language in force:
    // installs its Korean translation when Korean is chosen. Returns whether one was installed.
    static bool installToolkitTranslation(QCoreApplication& app);

    // The argument a second start hands over: paths made absolute (the running copy has its own
    // working folder), links and other text unchanged.
    static QStringList argumentsForHandOver(const QStringList& arguments);
};
