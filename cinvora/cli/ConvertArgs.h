#pragma once
// The arguments of `cinvora-cli convert`, shared by its single-file and batch forms.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class SWConvertOption;

struct ConvertArgs {
    QStringList inputs;    // files and folders
    QString outputFile;    // -o FILE: one input converted into exactly this file
    QString outputDir;     // --output DIR (batch)
    QString keyPath;       // --to "Category.Format" (batch)
    int jobs = 0;          // --jobs N (batch); 0 = the stored setting
    bool verbose = false;  // --verbose: the program's log lines on standard error
    bool json = false;     // --json (batch): the table as one JSON object a line
    bool noCopy = false;   // --no-copy
    bool noResume = false; // --no-resume: what an interrupted run of the same conversion left is not taken up
    QString subtitleFile;  // --subtitle-file F
    bool estimate = false; // --estimate: expected size and time, nothing converted
    // Every conversion option given on the command line, applied after the format's own
    // choices so that what the user typed wins.
    std::vector<std::function<void(SWConvertOption &)>> overrides;
};

// Reads the arguments; an error text (empty on success).
QString parseConvertArgs(const QStringList &args, ConvertArgs &out);
// A size as --max-size takes it: bytes, or a number with K, M, G (powers of 1000) or KiB,
// MiB, GiB (powers of 1024), a B after them allowed, any case. Nothing for anything else,
// zero or less, or more than a petabyte.
std::optional<int64_t> parseByteSize(const QString &text);
// The options part of the --help text.
const char *convertUsage();
