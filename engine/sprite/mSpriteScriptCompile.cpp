// Compiling sprite scripts: the keyword reader splits the source into keywords and their
// arguments, each keyword becomes one instruction of the sprite's script, and the label numbers
// of jumps are resolved to instruction indexes once the source has ended.
#include <cctype>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "engine/core/mFile.h"
#include "engine/media/mAudioWAV.h"
#include "engine/sprite/mScript.h"
#include "engine/sprite/mSprite.h"

namespace {

using Instruction = mScript::Instruction;

// The keyword reader ends every argument at its 81st byte at the latest.
constexpr std::size_t argumentLimit = 81;

// Read as the C library's atol reads: leading white space, a sign, decimal digits up to the
// first other character, no digits giving 0. Values beyond the 32-bit range saturate.
int32_t number(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    constexpr int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t value = 0;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text)
        value = std::min(value * 10 + (*text - '0'), limit);
    if (negative) value = -value;
    return static_cast<int32_t>(std::min(value, limit - 1));
}

// Labels are 16-bit: a number beyond that keeps its low 16 bits.
uint16_t label(const char* text) {
    return static_cast<uint16_t>(static_cast<uint32_t>(number(text)));
}

// A file name ends at the end of the line; blanks and tabs before it belong to no name.
std::string fileName(const char* argument) {
    std::string name(argument);
    name.erase(name.find_last_not_of(" \t") + 1);
    return name;
}

}  // namespace

int32_t mSprite::loadScript(mFile& file) {
    if (!file.isOpen) return 0;
    if (!script) {
        script = std::make_unique<mScript>().release();
        script->useCount = 1;
    }
    const int32_t first = script->count;
    for (;;) {
        int32_t keyword = file.readKeyword(mScript::keywords.data());
        if (keyword < 0 || keyword == mScript::opEnd) break;
        const auto* argument = reinterpret_cast<const char*>(file.cursor);
        std::size_t length = strnlen(argument, argumentLimit);
        // Past the 255th instruction the rest of the source is read to its end and dropped
        // uncompiled: it neither reports nor opens sounds.
        if (script->count < mScript::capacity)
            script->append(compileInstruction(static_cast<uint16_t>(keyword), argument));
        file.seek(static_cast<int32_t>(length), 1);
    }
    script->resolveLabels(first);
    if (script->count > 0) return 1;
    releaseScript();
    return 0;
}

mScript::Instruction mSprite::compileInstruction(uint16_t opcode, const char* argument) {
    Instruction instruction{opcode, 0, 0};
    switch (opcode) {
        case mScript::opNop:
        case mScript::opPause:
        case mScript::opHide:
        case mScript::opShow:
        case mScript::opEndCycle:
            break;
        case mScript::opAdvanceFrame:
            instruction.operand = number(argument);
            if (instruction.operand == 0) instruction.operand = 1;
            break;
        case mScript::opIf:
        case mScript::opIfNot:
        case mScript::opIfFrame:
        case mScript::opIfHitId:
        case mScript::opIfHitMask:
            instruction.operand = number(argument);
            if (const char* comma = std::strchr(argument, ','))
                instruction.target = label(comma + 1);
            break;
        case mScript::opIfHit:
        case mScript::opGoto:
        case mScript::opLoop:
            instruction.target = label(argument);
            break;
        case mScript::opWaveFile:
            attachWaveFile(fileName(argument));
            break;
        default:
            instruction.operand = number(argument);
            break;
    }
    // Label 0 names no label; a condition without one would jump to the first instruction.
    if (mScript::jumps(opcode) && instruction.target == 0) {
        reportError(idSprite, errMissingParameter, mScript::keywords[opcode]);
        instruction = Instruction{};
    }
    return instruction;
}

void mSprite::attachWaveFile(const std::string& name) {
    auto player = std::make_unique<mAudioWAV>();
    if (!player->mFile::open(name.c_str(), 0)) {
        reportError(idSprite, errFileOpen, name.c_str());
        return;
    }
    addSound(*player.release());
}
