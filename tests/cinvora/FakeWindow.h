#pragma once
// A window for the document that records what it was told and answers sheets as the
// test says.
#include <DocumentWindow.h>
#include <vcTableCellView.h>

#include <QStringList>
#include <vector>

struct FakeWindow : DocumentWindow {
    foundation::AlertButton answer = foundation::AlertButton::Default;
    QStringList questions;
    int closes = 0;
    std::vector<double> progress;
    int progressSheetsShown = 0;
    int progressSheetsStopped = 0;
    bool convertEnabled = false;
    int convertStateOn = -1; // -1 untouched, 0 off, 1 on
    bool stopLook = false;
    bool tipShownEmpty = true;
    LXMediaInfoPtr previewed;
    int refreshedRows = 0;
    QString shownCategory;
    bool categoryAllowed = true;
    QStringList chooserAnswer;
    std::vector<bool> running;
    std::vector<vcBatchTally> ended;

    void askQuestion(const foundation::AlertRequest &r, std::function<void(foundation::AlertButton)> done) override {
        questions << r.title;
        done(answer);
    }
    void closeWindow() override { ++closes; }
    void chooseFiles(const QStringList &, std::function<void(QStringList)> done) override {
        if (!chooserAnswer.isEmpty())
            done(chooserAnswer);
    }
    void setConvertAllEnabled(bool e) override { convertEnabled = e; }
    void setConvertAllState(bool on) override { convertStateOn = on ? 1 : 0; }
    void setConvertToggleStopLook(bool s) override { stopLook = s; }
    void conversionsRunning(bool r) override { running.push_back(r); }
    void batchEnded(const vcBatchTally &t) override { ended.push_back(t); }
    void updateEmptyListTip(bool empty) override { tipShownEmpty = empty; }
    void showAddProgress(bool) override { ++progressSheetsShown; }
    void updateAddProgress(double p) override { progress.push_back(p); }
    void stopAddProgress() override { ++progressSheetsStopped; }
    void previewItem(const LXMediaInfoPtr &item, bool) override { previewed = item; }
    void refreshRow(const std::shared_ptr<vcTableCellView> &) override { ++refreshedRows; }
    void showCategory(const QString &key, int) override { shownCategory = key; }
    void setCategoryChangeAllowed(bool a) override { categoryAllowed = a; }
};
