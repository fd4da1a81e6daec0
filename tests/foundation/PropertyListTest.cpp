#include <foundation/PropertyList.h>

#include "TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

using foundation::PropertyList;

TEST(PropertyList, RoundTripKeepsEveryTypeAndValue) {
    QVariantMap entry{{"currentFilePath", QString("/tmp/a <b> & \"c\" \u00e9\u6f22.mp4")},
                      {"currentTrackStartKey", 12.5},
                      {"currentTrackEndKey", 20.0},
                      {"tiny", 0.1},
                      {"currentSubTitleIdxKey", -1},
                      {"big", qlonglong(1) << 40},
                      {"flagT", true},
                      {"flagF", false},
                      {"blob", QByteArray("\x00\x01\xff"
                                          "binary",
                                          9)},
                      {"when", QDateTime(QDate(2026, 12, 7), QTime(21, 30, 5), Qt::UTC)},
                      {"emptyDict", QVariantMap{}},
                      {"emptyList", QVariantList{}},
                      {"nested", QVariantList{QVariantMap{{"k", QVariantList{1, 2, 3}}}}}};
    const QVariant root = QVariantList{entry, entry};
    const auto back = PropertyList::parse(PropertyList::serialize(root));
    ASSERT_TRUE(back.has_value());
    const QVariantList list = back->toList();
    ASSERT_EQ(list.size(), 2);
    const QVariantMap m = list.at(1).toMap();
    EXPECT_EQ(m.value("currentFilePath").toString(), entry.value("currentFilePath").toString());
    EXPECT_EQ(m.value("currentTrackStartKey").toDouble(), 12.5);
    EXPECT_EQ(m.value("currentTrackEndKey").toDouble(), 20.0);
    EXPECT_EQ(m.value("currentTrackEndKey").typeId(), QMetaType::Double);
    EXPECT_EQ(m.value("tiny").toDouble(), 0.1);
    EXPECT_EQ(m.value("currentSubTitleIdxKey").toLongLong(), -1);
    EXPECT_EQ(m.value("big").toLongLong(), qlonglong(1) << 40);
    EXPECT_EQ(m.value("flagT").typeId(), QMetaType::Bool);
    EXPECT_TRUE(m.value("flagT").toBool());
    EXPECT_FALSE(m.value("flagF").toBool());
    EXPECT_EQ(m.value("blob").toByteArray(), QByteArray("\x00\x01\xff"
                                                        "binary",
                                                        9));
    EXPECT_EQ(m.value("when").toDateTime(), entry.value("when").toDateTime());
    EXPECT_TRUE(m.value("emptyDict").toMap().isEmpty());
    EXPECT_EQ(m.value("emptyList").typeId(), QMetaType::QVariantList);
    EXPECT_EQ(m.value("nested").toList().at(0).toMap().value("k").toList().at(2).toInt(), 3);
}

TEST(PropertyList, ReadsDocumentsWrittenByOtherTools) {
    const QByteArray xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>Audio</key>
	<dict>
		<key>Codec</key>
		<array><string>aac</string><string>libmp3lame</string></array>
		<key>samplerate</key>
		<array><integer>44100</integer><integer> 48000 </integer></array>
	</dict>
	<key>IsAudio</key><true/>
	<key>Rate</key><real>29.97</real>
</dict>
</plist>)";
    const auto v = PropertyList::parse(xml);
    ASSERT_TRUE(v);
    const QVariantMap m = v->toMap();
    EXPECT_TRUE(m.value("IsAudio").toBool());
    EXPECT_DOUBLE_EQ(m.value("Rate").toDouble(), 29.97);
    EXPECT_EQ(m.value("Audio").toMap().value("Codec").toStringList(), QStringList({"aac", "libmp3lame"}));
    EXPECT_EQ(m.value("Audio").toMap().value("samplerate").toList().at(1).toInt(), 48000);
}

TEST(PropertyList, RefusesMalformedAndHostileDocuments) {
    const QList<QByteArray> bad = {
        "",
        "not xml at all",
        "<plist><dict><key>a</key></dict></plist>",             // key without value
        "<plist><dict><string>x</string></dict></plist>",       // value without key
        "<plist><array><integer>12x</integer></array></plist>", // bad number
        "<plist><array><foo/></array></plist>",                 // unknown element
        "<plist><array><string>a</string></plist>",             // unclosed
        "<html><body/></html>",                                 // not a plist
        "<plist><string>a</string><string>b</string></plist>",  // two roots
    };
    for (const QByteArray &doc : bad)
        EXPECT_FALSE(PropertyList::parse(doc).has_value()) << doc.constData();

    // Deep nesting must be refused, not recursed into until the stack runs out.
    QByteArray deep = "<plist>";
    for (int i = 0; i < 100000; ++i)
        deep += "<array>";
    deep += "</plist>";
    EXPECT_FALSE(PropertyList::parse(deep).has_value());

    // Entity expansion bombs stay bounded.
    const QByteArray bomb = R"(<?xml version="1.0"?>
<!DOCTYPE plist [<!ENTITY a "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa">
<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">
<!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">
<!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;">
<!ENTITY e "&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;">]>
<plist><string>&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;</string></plist>)";
    QElapsedTimer t;
    t.start();
    const auto r = PropertyList::parse(bomb);
    EXPECT_LT(t.elapsed(), 2000);
    if (r) {
        EXPECT_LT(r->toString().size(), 10 * 1024 * 1024);
    }
}

TEST(PropertyList, FilesThatAreNotRegularAreRefusedWithoutBlocking) {
    const QString dir = testsupport::freshDir("plist");
    const QString fifo = dir + "/fifo.plist";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QElapsedTimer t;
    t.start();
    QString err;
    EXPECT_FALSE(PropertyList::readFile(fifo, &err));
    EXPECT_FALSE(PropertyList::readFile(dir, &err));
    EXPECT_FALSE(PropertyList::readFile("/dev/zero", &err));
    EXPECT_FALSE(PropertyList::readFile(dir + "/missing.plist", &err));
    EXPECT_LT(t.elapsed(), 2000);
}

TEST(PropertyList, WriteReplacesAtomicallyAndFailsCleanly) {
    const QString dir = testsupport::freshDir("plist");
    const QString path = dir + "/FileList.plist";
    ASSERT_TRUE(PropertyList::writeFile(path, QVariantList{1, 2}));
    ASSERT_TRUE(PropertyList::writeFile(path, QVariantList{3}));
    EXPECT_EQ(PropertyList::readFile(path)->toList(), QVariantList{3});
    // No temporary file stays behind.
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 1);
    // A folder that does not exist: failure reported, nothing created.
    QString err;
    EXPECT_FALSE(PropertyList::writeFile(dir + "/no/such/folder/x.plist", QVariantList{}, &err));
    EXPECT_FALSE(err.isEmpty());
}
