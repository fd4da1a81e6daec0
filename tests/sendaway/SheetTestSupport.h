#pragma once
// The sheets' side of the upload tests: an export delegate that "converts" by copying a
// fixture (standing in for the export conversion), an alert responder that records every
// alert and answers as told, and the stand-in services with their browser.
#include "StandInServer.h"
#include "UploadTestSupport.h"

#include <foundation/Alerts.h>
#include <sendaway/LXExportWindowController.h>

#include <QPointer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

class LXButton;

namespace sheettest {

// Writes `source` to a fresh output path in four progress steps (through the event loop),
// then tells the window finishedConvert(output).
class FakeExport : public LXExportWindowControllerDelegate {
public:
    explicit FakeExport(QString source);
    void startPublish(LXExportWindowController *window) override;
    void pauseExport(LXExportWindowController *) override { ++pauses; }
    void continueExport(LXExportWindowController *) override { ++continues; }
    void cancelExport(LXExportWindowController *window) override;

    QString source;
    QString output;
    int starts = 0, pauses = 0, continues = 0, cancels = 0;
    bool finished = false; // finishedConvert has been sent

private:
    QPointer<LXExportWindowController> _window;
};

// Records alerts and answers them: `answer` decides per request (default: the default button).
class AlertDesk {
public:
    AlertDesk();
    ~AlertDesk();
    std::vector<foundation::AlertRequest> shown;
    // Nothing from `answer`: the real box opens and waits for keys.
    std::function<std::optional<foundation::AlertButton>(const foundation::AlertRequest &)> answer;
    bool has(const QString &title) const;
};

// Answers the question box open over `over` the way a user dismisses it: Escape, or
// closing its window. False when no such box is open.
bool dismissQuestion(QWidget *over, bool byClosing);
// A shown top-level window the sheets hang from.
QWidget *documentWindow();
// A press and release on a skinned button.
void click(LXButton *button);

class SheetTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The export: the clip fixture when it was made, else a generated file.
    static QString exportSource();

    standin::StandInServer server;
    uploadtest::Browser browser;
    AlertDesk alerts;
};

} // namespace sheettest
