#pragma once
#include <QStringList>

class SignalWatcher;

// `cinvora-cli convert ...` in both its forms; returns the process exit status.
int runConvert(const QStringList &args, const SignalWatcher &interrupts);
