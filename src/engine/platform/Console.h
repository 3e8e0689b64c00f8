// What a console expects of text outside ASCII.
#pragma once

// True where consoles and pipe readers expect UTF-8 (Linux); false where the console's own code page 437
// is written byte for byte (Windows).
bool ConsoleWantsUtf8();
