#pragma once
#include <QStringList>

class SignalWatcher;

// `cinvora-cli probe FILE...`; a signal stops it between two files.
int runProbe(const QStringList &paths, const SignalWatcher &interrupts);
