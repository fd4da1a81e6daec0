#include <FormatCatalogue.h>

#include <foundation/PropertyList.h>

#include <gtest/gtest.h>

TEST(Catalogue, KeyPathsResolve) {
    const FormatCatalogue &c = FormatCatalogue::shared();
    const FormatRecord *qt = c.find("Apple Device.Quicktime Movie");
    ASSERT_NE(qt, nullptr);
    EXPECT_EQ(qt->container, "mov");
    EXPECT_EQ(qt->ext, ".mov");
    ASSERT_NE(c.find("Audio.mp3"), nullptr);
    EXPECT_EQ(c.find("Audio.mp3")->ext, ".mp3");
    EXPECT_EQ(c.find("Apple Device.No Such Format"), nullptr);
    EXPECT_EQ(c.find("Nowhere.Quicktime Movie"), nullptr);
    EXPECT_EQ(c.find("Apple Device"), nullptr);
    EXPECT_EQ(c.find("Apple Device.Quicktime Movie.Ext"), nullptr);
    // Each default format of a new item is in the catalogue.
    for (bool video : {true, false})
        EXPECT_NE(c.find(LXDefaultFormat::forSource(video).keyPath()), nullptr) << video;
}

// Every entry must be usable: reachable by key path, found again by its caption after a
// restart, with lists the rules can read and codec names the engine knows, and nothing of
// the resource lost in parsing.
TEST(Catalogue, EveryFormatIsWellFormed) {
    const QStringList knownCodecs = {"h264",  "libfaac",   "aac",     "mp3",    "libmp3lame", "mpeg4",      "libxvid",
                                     "hevc",  "av1",       "vp8",     "vp9",    "mpeg2video", "mpeg1video", "wmv2",
                                     "wmav2", "flv",       "dvvideo", "ac3",    "mp2",        "pcm_s16le",  "flac",
                                     "alac",  "libvorbis", "libopus", "amr_nb", "h263"};
    const auto raw = foundation::PropertyList::readFile(":/ODOutputConfig.plist");
    ASSERT_TRUE(raw.has_value());
    const QVariantMap root = raw->toMap();
    const FormatCatalogue &c = FormatCatalogue::shared();
    EXPECT_EQ(c.categories(), QStringList(root.keys()));
    for (const char *category : {"Apple Device", "Web Video", "Common Video", "Audio"})
        EXPECT_TRUE(c.categories().contains(category)) << category;
    int formats = 0;
    for (const QString &category : c.categories()) {
        EXPECT_FALSE(category.contains('.'));
        EXPECT_EQ(c.formatsIn(category).size(), size_t(root.value(category).toMap().size())) << qPrintable(category);
        for (const FormatRecord &r : c.formatsIn(category)) {
            ++formats;
            const QString key = r.key.catalogueKey();
            SCOPED_TRACE(key.toStdString());
            EXPECT_FALSE(key.contains('.'));
            EXPECT_EQ(c.find(r.key.keyPath()), &r);
            EXPECT_FALSE(r.container.isEmpty());
            EXPECT_TRUE(r.ext.startsWith('.'));
            // The remembered key drops the prefix, and the grid finds the tile by its caption:
            // the two agree, so a format remembered before a restart is highlighted after it.
            EXPECT_EQ(r.key.lastKey(), category + "." + r.caption);
            if (key.contains("--")) {
                EXPECT_EQ(key.indexOf("--"), 1);
            }
            EXPECT_EQ(r.isAudio, category == "Audio");
            for (const QString &codec : r.audioCodecs + r.videoCodecs)
                EXPECT_TRUE(knownCodecs.contains(codec)) << codec.toStdString();
            const QVariantMap rawRecord = root.value(category).toMap().value(key).toMap();
            EXPECT_EQ(r.frameSizes.size(), rawRecord.value("Video").toMap().value("Resolution").toList().size())
                << "a size of the resource that is no size";
            for (const LXFrameSize &size : r.frameSizes) {
                EXPECT_EQ(size.width % 2, 0u);
                EXPECT_EQ(size.height % 2, 0u);
            }
            if (!r.isAudio) {
                EXPECT_FALSE(r.videoCodecs.isEmpty());
            }
        }
    }
    EXPECT_GE(formats, 30);
}
