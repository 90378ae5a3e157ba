// Running sprite scripts: each step performs the instructions from `pc` up to and including the
// next yield (PAUSE, LOOP, ENDCYCLE) through a table indexed by opcode. Nothing here allocates
// or reads text.
#include "engine/sprite/mSprite.h"

namespace {

using Instruction = mScript::Instruction;

constexpr bool proceed = false;
constexpr bool yield = true;

// A pending hit that matches is consumed by the jump; one that does not stays pending.
void takeHit(mSprite& s, bool matches, const Instruction& i) {
    if ((s.spriteFlags & mSprite::flagHitPending) == 0 || !matches) return;
    s.spriteFlags &= ~mSprite::flagHitPending;
    s.pc = i.target;
}

}  // namespace

const std::array<mSprite::ScriptOperation, mScript::opcodeCount> mSprite::scriptOperations = {
    // NOP, LABEL, ":"
    [](mSprite&, const Instruction&) { return proceed; },
    [](mSprite&, const Instruction&) { return proceed; },
    [](mSprite&, const Instruction&) { return proceed; },
    // FRAME, ADVANCEFRAME
    [](mSprite& s, const Instruction& i) {
        s.frame = i.operand;
        return proceed;
    },
    [](mSprite& s, const Instruction& i) {
        s.frame =
            static_cast<int32_t>(static_cast<uint32_t>(s.frame) + static_cast<uint32_t>(i.operand));
        return proceed;
    },
    // DELAY: the image sprite's tick scales it by the speed.
    [](mSprite& s, const Instruction& i) {
        s.interval = static_cast<uint32_t>(i.operand);
        return proceed;
    },
    // SPEED: stored only.
    [](mSprite& s, const Instruction& i) {
        s.speed = static_cast<uint32_t>(i.operand);
        return proceed;
    },
    // PAUSE
    [](mSprite& s, const Instruction&) {
        s.pause();
        return yield;
    },
    // POSX, POSY, POSZ
    [](mSprite& s, const Instruction& i) {
        s.x = i.operand;
        return proceed;
    },
    [](mSprite& s, const Instruction& i) {
        s.y = i.operand;
        return proceed;
    },
    [](mSprite& s, const Instruction& i) {
        s.setZ(i.operand);
        return proceed;
    },
    // MOVEX, MOVEY, MOVEZ
    [](mSprite& s, const Instruction& i) {
        s.x = saturatedSum(s.x, i.operand);
        return proceed;
    },
    [](mSprite& s, const Instruction& i) {
        s.y = saturatedSum(s.y, i.operand);
        return proceed;
    },
    [](mSprite& s, const Instruction& i) {
        s.setZ(saturatedSum(s.z, i.operand));
        return proceed;
    },
    // HIDE, SHOW
    [](mSprite& s, const Instruction&) {
        s.hide();
        return proceed;
    },
    [](mSprite& s, const Instruction&) {
        s.show();
        return proceed;
    },
    // WAVEFILE: the sound was attached when the script was compiled.
    [](mSprite&, const Instruction&) { return proceed; },
    // SOUND: to its end, once.
    [](mSprite& s, const Instruction& i) {
        s.playSound(i.operand, 0, 1);
        return proceed;
    },
    // SET, CLEAR
    [](mSprite& s, const Instruction& i) {
        s.stateBits |= static_cast<uint32_t>(i.operand);
        return proceed;
    },
    [](mSprite& s, const Instruction& i) {
        s.stateBits &= ~static_cast<uint32_t>(i.operand);
        return proceed;
    },
    // IF, IFNOT, IFFRAME
    [](mSprite& s, const Instruction& i) {
        if ((s.stateBits & static_cast<uint32_t>(i.operand)) != 0) s.pc = i.target;
        return proceed;
    },
    [](mSprite& s, const Instruction& i) {
        if ((s.stateBits & static_cast<uint32_t>(i.operand)) == 0) s.pc = i.target;
        return proceed;
    },
    [](mSprite& s, const Instruction& i) {
        if (s.frame == i.operand) s.pc = i.target;
        return proceed;
    },
    // IFHIT, IFHITID, IFHITMASK
    [](mSprite& s, const Instruction& i) {
        takeHit(s, true, i);
        return proceed;
    },
    [](mSprite& s, const Instruction& i) {
        takeHit(s, s.lastHitId == static_cast<uint32_t>(i.operand), i);
        return proceed;
    },
    [](mSprite& s, const Instruction& i) {
        takeHit(s, (s.lastHitId & static_cast<uint32_t>(i.operand)) != 0, i);
        return proceed;
    },
    // HITID, HITMASK, HITDEPTH
    [](mSprite& s, const Instruction& i) {
        s.hitId = static_cast<uint32_t>(i.operand);
        return proceed;
    },
    [](mSprite& s, const Instruction& i) {
        s.hitMask = static_cast<uint32_t>(i.operand);
        return proceed;
    },
    [](mSprite& s, const Instruction& i) {
        s.setHitDepth(i.operand);
        return proceed;
    },
    // GOTO, LOOP, ENDCYCLE
    [](mSprite& s, const Instruction& i) {
        s.pc = i.target;
        return proceed;
    },
    [](mSprite& s, const Instruction& i) {
        s.pc = i.target;
        return yield;
    },
    [](mSprite&, const Instruction&) { return yield; },
};

void mSprite::runScript() {
    const mScript& program = *script;
    for (int32_t performed = 0;; ++performed) {
        // Compared unsigned, so that a negative start counts as past the end too.
        if (static_cast<uint32_t>(pc) >= static_cast<uint32_t>(program.count)) return;
        if (performed == stepInstructionLimit) {
            if (!program.cycleReported) {
                script->cycleReported = true;
                reportError(idSprite, errOutOfRange, "Instructions per step");
            }
            return;
        }
        const Instruction& instruction = program.instructions[pc++];
        if (instruction.opcode < scriptOperations.size() &&
            scriptOperations[instruction.opcode](*this, instruction))
            return;
    }
}
