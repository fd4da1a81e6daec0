#pragma once
#include <QStringList>

// `cinvora-cli probe FILE...`
int runProbe(const QStringList &paths);
