#pragma once
#include <QStringList>

// `cinvora-cli convert IN OUT [options]`; returns the process exit status.
int runConvert(const QStringList &args);
// The options part of the --help text.
const char *convertUsage();
