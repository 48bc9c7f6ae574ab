#include "payload/payload_messages.h"

const char kIncompleteMessage[] =
    "This is an incomplete installation file\n(possibly from an incomplete download).";
const char kCorruptedMessage[] = "This is a corrupted installation file.";
const char kUnconfiguredMessage[] = "Unconfigured installation file.";
