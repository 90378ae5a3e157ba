#pragma once
#include <array>
#include <cstdint>
#include <memory>

#include "engine/core/mObject.h"

// A compiled sprite script: a table of at most 255 fixed-size instructions, read by every
// sprite that holds it (its use count) and run by each sprite with its own program counter.
// Sprites compile scripts into it (mSprite::loadScript) and run them at their ticks.
class mScript : public mObject {
  public:
    // Opcodes: the index of the instruction's keyword in `keywords`.
    enum Opcode : uint16_t {
        opNop,
        opLabel,
        opLabelMark,  // ":", a short LABEL
        opFrame,
        opAdvanceFrame,
        opDelay,
        opSpeed,
        opPause,
        opPosX,
        opPosY,
        opPosZ,
        opMoveX,
        opMoveY,
        opMoveZ,
        opHide,
        opShow,
        opWaveFile,
        opSound,
        opSet,
        opClear,
        opIf,
        opIfNot,
        opIfFrame,
        opIfHit,
        opIfHitId,
        opIfHitMask,
        opHitId,
        opHitMask,
        opHitDepth,
        opGoto,
        opLoop,
        opEndCycle,
        opEnd,  // ends the source; never stored
    };
    static constexpr int32_t opcodeCount = opEnd;

    struct Instruction {
        uint16_t opcode = opNop;
        // The label number as compiled; once resolved, the index of the label's instruction.
        uint16_t target = 0;
        int32_t operand = 0;
        bool operator==(const Instruction&) const = default;
    };
    static_assert(sizeof(Instruction) == 8);

    // The conditions and jumps: the instructions that name a label.
    static constexpr bool jumps(uint16_t opcode) {
        return (opcode >= opIf && opcode <= opIfHitMask) || opcode == opGoto || opcode == opLoop;
    }

    static constexpr int32_t capacity = 255;
    static constexpr std::size_t memoryBytes = capacity * sizeof(Instruction);

    // The keyword reader's table: upper case, in opcode order, ended by an empty string.
    static constexpr std::array<const char*, opEnd + 2> keywords = {
        "NOP",      "LABEL",   ":",        "FRAME",    "ADVANCEFRAME", "DELAY", "SPEED",
        "PAUSE",    "POSX",    "POSY",     "POSZ",     "MOVEX",        "MOVEY", "MOVEZ",
        "HIDE",     "SHOW",    "WAVEFILE", "SOUND",    "SET",          "CLEAR", "IF",
        "IFNOT",    "IFFRAME", "IFHIT",    "IFHITID",  "IFHITMASK",    "HITID", "HITMASK",
        "HITDEPTH", "GOTO",    "LOOP",     "ENDCYCLE", "END",          ""};

    // Empty, with its instruction memory zeroed; "Out of memory" if that cannot be had, and the
    // script then takes no instructions.
    mScript();
    // Warns "Still in use" when sprites still hold it.
    ~mScript() override;
    mScript(const mScript&) = delete;
    mScript& operator=(const mScript&) = delete;

    // Stores the instruction behind the others; 0 (without a report) when the table is full.
    int32_t append(const Instruction& instruction);
    // Replaces the label numbers of the instructions from `first` on by the index of the first
    // instruction anywhere in the table that defines the label. An instruction naming a label
    // that none defines is reported as the sprite's ("Label doesn't exist") and becomes a NOP.
    // Instructions before `first` hold indexes already and are left alone.
    void resolveLabels(int32_t first);

    Instruction* instructions = nullptr;  // view of instructionMemory
    int32_t count = 0;
    std::unique_ptr<uint8_t[]> instructionMemory;
    // A cycle of jumps without a yield has been reported once; the sprites running it go on.
    bool cycleReported = false;
};
