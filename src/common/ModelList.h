#pragma once
// The camera models the tool recognises, in ten firmware groups: a firmware file's name says
// which group it fits.

#include <cstddef>

constexpr size_t MODEL_COUNT = 24;
constexpr int MODEL_GROUP_COUNT = 10;

// The model numbers, ordered by group.
extern const char* const ModelList[MODEL_COUNT];
// The first list position of each group; group g spans [ModelGroupStart[g], ModelGroupStart[g+1]).
extern const size_t ModelGroupStart[MODEL_GROUP_COUNT + 1];

// True when productName equals (case-sensitively) one of the model numbers.
bool IsKnownModel(const char* productName);
// The group that a firmware file's dotted name designates, -1 for none.
int FirmwareGroup(const char* firmwareName);
// True when model belongs to the group that firmwareName designates.
bool IsModelForFirmware(const char* model, const char* firmwareName);
