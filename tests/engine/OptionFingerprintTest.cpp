// What an option's fingerprint covers: every choice it holds, in the form stored lists keep.
#include <framewheel/SWConvertSession.h>

#include <QSet>
#include <gtest/gtest.h>
#include <type_traits>

namespace {

// Some other value of a field, whatever its type.
template <class T> void change(T &field) {
    if constexpr (std::is_same_v<T, bool>)
        field = !field;
    else if constexpr (std::is_same_v<T, QString>)
        field += QStringLiteral("x");
    else if constexpr (std::is_floating_point_v<T>)
        field += 0.5;
    else
        field += 1;
}

} // namespace

TEST(OptionFingerprint, EveryChoiceChangesItAndNothingElseDoes) {
    SWConvertOption base;
    base.setFormat(QStringLiteral("mov"));
    const QString before = base.fingerprint();
    int fields = 0, choices = 0;
    QSet<QString> names;
    base.visitFields([&](const char *name, const auto &, bool choice) {
        names.insert(QString::fromLatin1(name));
        ++fields;
        choices += choice;
    });
    EXPECT_EQ(names.size(), fields) << "each field once";
    for (int n = 0; n < fields; ++n) {
        SWConvertOption o = base;
        QString name;
        bool isChoice = false;
        int at = 0;
        o.visitFields([&](const char *fieldName, auto &field, bool choice) {
            if (at++ != n)
                return;
            change(field);
            name = QString::fromLatin1(fieldName);
            isChoice = choice;
        });
        if (isChoice)
            EXPECT_NE(o.fingerprint(), before) << name.toStdString() << " is a choice the fingerprint must see";
        else
            EXPECT_EQ(o.fingerprint(), before) << name.toStdString() << " is no choice: it must not make a file stale";
    }
    EXPECT_GE(choices, 20);
}

// Finished rows of a saved list carry digests of this text: the same option must give the
// same text as when they were stored, or every restored row would be converted again.
TEST(OptionFingerprint, KeepsTheFormStoredListsWereMadeWith) {
    SWConvertOption o;
    o.setStart_time(1'500'000);
    o.setRecording_time(2'340'000);
    o.setAudio_disable(false);
    o.setSubtitle_disable(true);
    o.setVideo_disable(false);
    o.setAudio_volume(200);
    o.setAuto_streamcopy(true);
    o.setWidth(1280);
    o.setHeight(720);
    o.setFrame_rate(30000, 1001);
    o.setSubtitleStreamIndex(-1);
    o.setAudioStreamIndex(2);
    o.setSample_rate(48000);
    o.setChannels(2);
    o.setUsePluginSubtitle(true);
    o.setAudioCodeName(QStringLiteral("aac"));
    o.setVideoCodeName(QStringLiteral("h264"));
    o.setQscale(7.0);
    o.setFormat(QStringLiteral("mp4"));
    o.setInputWidth(1920);
    o.setThreadCount(3);
    const QString expected = QStringList{"1500000", "2340000", "0", "1",     "0", "200", "1",   "1280", "720", "30000",
                                         "1001",    "-1",      "2", "48000", "2", "1",   "aac", "h264", "7",   "mp4"}
                                 .join(QChar(0x1f));
    EXPECT_EQ(o.fingerprint(), expected);
    // A choice added later shows only once it is made, by its name.
    o.setMaxSizeBytes(25'000'000);
    EXPECT_EQ(o.fingerprint(), expected + QChar(0x1f) + QStringLiteral("_maxSizeBytes=25000000"));
    o.setLoudnessTarget(-16);
    EXPECT_EQ(o.fingerprint(), expected + QChar(0x1f) + QStringLiteral("_loudnessTarget=-16") + QChar(0x1f) +
                                   QStringLiteral("_maxSizeBytes=25000000"));
}
