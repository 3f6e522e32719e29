#include "common/ModelList.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const char* const ModelList[MODEL_COUNT] = {
    "TRL-C100",                                                                // group 0
    "TRL-B210", "TRL-B212", "TRL-B215W",                                       // group 1
    "TRL-D320", "TRL-D322", "TRL-D325V",                                       // group 2
    "TRL-F400",                                                                // group 3
    "TRL-D510", "TRL-D512", "TRL-D515", "TRL-D518R", "TRL-D520", "TRL-D522R",  // group 4
    "TRL-P610", "TRL-P612", "TRL-P615Z", "TRL-P620", "TRL-P625Z",              // group 5
    "TRL-M700",                                                                // group 6
    "TRL-S810", "TRL-S812",                                                    // group 7
    "TRL-X900",                                                                // group 8
    "TRL-X1000",                                                               // group 9
};

const size_t ModelGroupStart[MODEL_GROUP_COUNT + 1] = {0, 1, 4, 7, 8, 14, 19, 20, 22, 23, 24};

bool IsKnownModel(const char* productName) {
    if (productName == nullptr) return false;
    for (const char* model : ModelList) {
        if (std::strcmp(model, productName) == 0) return true;
    }
    return false;
}

int FirmwareGroup(const char* firmwareName) {
    if (firmwareName == nullptr) return -1;
    char field[7][32] = {};
    // A field that is empty or longer than 31 characters ends the split there, like the
    // firmware tools that name these files; the fields after it stay empty.
    std::sscanf(firmwareName, "%31[^.].%31[^.].%31[^.].%31[^.].%31[^.].%31[^.].%31[^.]",
                field[0], field[1], field[2], field[3], field[4], field[5], field[6]);
    long number = std::strtol(field[4], nullptr, 10);
    if (number < -1000 || number > 1000) return -1;
    switch (number - 3) {
        case 0: return 0;
        case 3: return 1;
        case 5: return 2;
        case 7: return 3;
        case 8: return 4;
        case 9: return 5;
        case 10: return 6;
        case 11: return 7;
        case 12: return 8;
        case 13: return 9;
        default: return -1;
    }
}

bool IsModelForFirmware(const char* model, const char* firmwareName) {
    int group = FirmwareGroup(firmwareName);
    if (group < 0 || model == nullptr) return false;
    for (size_t i = ModelGroupStart[group]; i < ModelGroupStart[group + 1]; ++i) {
        if (std::strcmp(ModelList[i], model) == 0) return true;
    }
    return false;
}
