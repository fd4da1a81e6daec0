#include <FormatRules.h>
#include <MyDocument.h>
#include <vcCommon.h>

#include <gtest/gtest.h>

namespace {
QVariantMap catalogue() { return vcCommon::outputFormatDictFrom(MyDocument::outputFmtFileName()); }
} // namespace

TEST(Catalogue, KeyPathsResolve) {
    const QVariantMap root = catalogue();
    ASSERT_FALSE(root.isEmpty());
    const QVariant qt = vcCommon::findDictByKey("Apple Device.Quicktime Movie", root);
    ASSERT_EQ(qt.typeId(), QMetaType::QVariantMap);
    EXPECT_EQ(qt.toMap().value("format").toString(), "mov");
    EXPECT_EQ(vcCommon::findDictByKey("Audio.mp3", root).toMap().value("Ext").toString(), ".mp3");
    EXPECT_FALSE(vcCommon::findDictByKey("Apple Device.No Such Format", root).isValid());
    EXPECT_FALSE(vcCommon::findDictByKey("Nowhere.Quicktime Movie", root).isValid());
    EXPECT_EQ(vcCommon::findDictByKey("Apple Device", root).toMap(), root.value("Apple Device").toMap());
    EXPECT_EQ(vcCommon::findDictByKey("Apple Device.Quicktime Movie.Ext", root).toString(), ".mov");
    EXPECT_TRUE(vcCommon::outputFormatDictFrom("NoSuchCatalogue").isEmpty());
}

// Every entry must be usable: reachable by key path, found again by its label after a
// restart, with lists the rules can read and codec names the engine knows.
TEST(Catalogue, EveryFormatIsWellFormed) {
    const QStringList knownCodecs = {"h264",      "libfaac", "aac",    "mp3",        "libmp3lame", "mpeg4", "libxvid",
                                     "hevc",      "vp8",     "vp9",    "mpeg2video", "mpeg1video", "wmv2",  "wmav2",
                                     "flv",       "dvvideo", "ac3",    "mp2",        "pcm_s16le",  "flac",  "alac",
                                     "libvorbis", "libopus", "amr_nb", "h263"};
    const QVariantMap root = catalogue();
    for (const char *category : {"Apple Device", "Web Video", "Common Video", "Audio"})
        EXPECT_TRUE(root.contains(category)) << category;
    int formats = 0;
    for (auto c = root.cbegin(); c != root.cend(); ++c) {
        EXPECT_FALSE(c.key().contains('.'));
        const QVariantMap cat = c.value().toMap();
        for (auto f = cat.cbegin(); f != cat.cend(); ++f) {
            ++formats;
            const QString key = f.key();
            SCOPED_TRACE(key.toStdString());
            EXPECT_FALSE(key.contains('.'));
            const QVariantMap rec = f.value().toMap();
            EXPECT_FALSE(rec.value("format").toString().isEmpty());
            EXPECT_TRUE(rec.value("Ext").toString().startsWith('.'));
            const QString shown = key.contains("--") ? key.section("--", 1) : key;
            const QString label = rec.value("keyName", key).toString();
            // The remembered key drops the prefix; the grid finds the cell by its label.
            EXPECT_EQ(FormatRules::lastKeyFromKeyPath(c.key() + "." + key), c.key() + "." + label);
            EXPECT_EQ(label, shown);
            if (key.contains("--")) {
                EXPECT_EQ(key.indexOf("--"), 1);
            }
            const bool audioOnly = rec.value("IsAudio").toBool();
            EXPECT_EQ(audioOnly, c.key() == "Audio");
            for (const QString &codec : rec.value("Audio").toMap().value("Codec").toStringList())
                EXPECT_TRUE(knownCodecs.contains(codec)) << codec.toStdString();
            for (const QString &codec : rec.value("Video").toMap().value("Codec").toStringList())
                EXPECT_TRUE(knownCodecs.contains(codec)) << codec.toStdString();
            for (const QString &size : rec.value("Video").toMap().value("Resolution").toStringList()) {
                uint64_t w = 0, h = 0;
                EXPECT_TRUE(FormatRules::parseFrameSize(size, w, h));
                EXPECT_GT(w, 0u);
                EXPECT_EQ(w % 2, 0u);
                EXPECT_EQ(h % 2, 0u);
            }
            if (!audioOnly) {
                EXPECT_FALSE(rec.value("Video").toMap().value("Codec").toStringList().isEmpty());
            }
        }
    }
    EXPECT_GE(formats, 30);
}
