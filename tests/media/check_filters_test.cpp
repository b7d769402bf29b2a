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
    PlaybackEngineHolder holder; // starts GStreamer
    EXPECT_EQ(holder.checkFilters(), 1);
    removeElement("videobalance");
    EXPECT_EQ(holder.checkFilters(), -4);
    removeElement("avdec_aac");
    EXPECT_EQ(holder.checkFilters(), -3);
    removeElement("avdec_h264");
    EXPECT_EQ(holder.checkFilters(), -2);
    removeElement("avidemux");
    EXPECT_EQ(holder.checkFilters(), -1) << "the source cannot serve anything without its demuxer";
}

TEST(checkFilters, AMissingDecoderFailsTheOpenCleanly) {
    setenv("QUILLENT_AUDIO_SINK", "fakesink", 1);
    auto avi = samples::threeChannelAvi();
    ASSERT_FALSE(avi.empty());
    PlaybackEngineHolder holder;
    holder.attachWindows({});
    ASSERT_TRUE(holder.OpenRecording(avi)) << holder.lastError();
    removeElement("h264parse");
    EXPECT_FALSE(holder.OpenRecording(avi));
    EXPECT_NE(holder.lastError().find("h264parse"), std::string::npos) << holder.lastError();
    EXPECT_EQ(holder.getState(), -1);
}

} // namespace
