// CheckFilters names the first missing component. Components are removed from this process's
// GStreamer registry, so this runs as its own test executable.
#include "media/playback/PlaybackEngine.h"
#include "support/MediaSamples.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

void removeElement(const char* name) {
    GstRegistry* registry = gst_registry_get();
    if (GstPluginFeature* feature = gst_registry_lookup_feature(registry, name)) {
        gst_registry_remove_feature(registry, feature);
        gst_object_unref(feature);
    }
}

TEST(checkFilters, ReportsTheFirstMissingComponentInOrder) {
    PlaybackEngine engine; // starts GStreamer
    EXPECT_EQ(engine.checkFilters(), 1);
    removeElement("videobalance");
    EXPECT_EQ(engine.checkFilters(), -4);
    removeElement("avdec_aac");
    EXPECT_EQ(engine.checkFilters(), -3);
    removeElement("avdec_h264");
    EXPECT_EQ(engine.checkFilters(), -2);
    removeElement("avidemux");
    EXPECT_EQ(engine.checkFilters(), -1) << "the source cannot serve anything without its demuxer";
}

TEST(checkFilters, AMissingDecoderFailsTheOpenCleanly) {
    setenv("QUILLENT_AUDIO_SINK", "fakesink", 1);
    auto avi = samples::threeChannelAvi();
    ASSERT_FALSE(avi.empty());
    PlaybackEngine engine;
    engine.setViews({});
    ASSERT_TRUE(engine.open(avi)) << engine.lastError();
    removeElement("h264parse");
    EXPECT_FALSE(engine.open(avi));
    EXPECT_NE(engine.lastError().find("h264parse"), std::string::npos) << engine.lastError();
    EXPECT_EQ(engine.state(), PlaybackEngine::State::Closed);
}

} // namespace
