#pragma once
// The format that new items start with: the one last chosen in the grid and the parameters
// last saved for it, kept in the settings so that the next start offers them again.
//
// Threading: the main thread changes it; intake threads read it as they make items. Every
// read copies under the lock, so a reader sees a format with its own parameters.
#include "FormatRules.h"

#include <mutex>

class vcFormatChoice {
public:
    struct Choice {
        FormatKey key; // empty: the default format of each item
        FormatRules::FormatChoices parameters;
    };

    // Reads the stored choice; one the catalogue no longer has is no choice.
    static Choice stored();
    // Forgets the stored choice (new items take their default format again).
    static void clearStored();

    vcFormatChoice() : _choice(stored()) {}
    Choice current() const {
        std::lock_guard l(_lock);
        return _choice;
    }
    FormatKey key() const { return current().key; }
    // Changes the choice and stores it.
    void set(const FormatKey &key, const FormatRules::FormatChoices &parameters);

private:
    mutable std::mutex _lock;
    Choice _choice;
};
