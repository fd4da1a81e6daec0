#pragma once
// The program's shared helpers: everything of LXMediaCommon, plus the program's own files.
#include <reelwright/LXMediaCommon.h>

class vcCommon : public LXMediaCommon {
public:
    // Application Support / <program name>, created when missing.
    static QString zezazEvuvuvoApplicationSupportDir();
};
