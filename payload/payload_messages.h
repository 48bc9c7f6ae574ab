// The messages of a payload that cannot be installed, each stored once
// (the stub's linker would keep a copy for every file that used a literal).
#pragma once

extern const char kIncompleteMessage[];
extern const char kCorruptedMessage[];
extern const char kUnconfiguredMessage[];
