#pragma once
#include <QStringList>

// `cinvora-cli convert ...` in both its forms; returns the process exit status.
int runConvert(const QStringList &args);
