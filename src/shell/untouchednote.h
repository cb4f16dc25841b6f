#pragma once

#include "framework/fileidentity.h"

class Document;

// A note the app made for a launch or for File › New that is closed as it was made (nobody typed, still the same
// empty file) is removed, so that launches leave no empty notes behind. A file with any byte in it is never removed.
class UntouchedNote
{
public:
    // made: the file as the app created it.
    static void removeWhenClosedUntouched(Document *note, const FileIdentity &made);
};
