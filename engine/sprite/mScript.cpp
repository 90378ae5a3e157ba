#include "engine/sprite/mScript.h"

#include <cstdio>

#include "engine/platform/Memory.h"

mScript::mScript() : instructionMemory(platform::Memory::allocate(memoryBytes)) {
    if (!instructionMemory) {
        reportError(idScript, errOutOfMemory, nullptr);
        return;
    }
    // The block is zeroed bytes of fundamental alignment: eight-byte records live in it.
    instructions = reinterpret_cast<Instruction*>(instructionMemory.get());
}

mScript::~mScript() {
    if (useCount != 0) {
        reportWarning(idScript, errStillInUse, nullptr);
        useCount = 0;
    }
}

int32_t mScript::append(const Instruction& instruction) {
    if (!instructions || count >= capacity) return 0;
    instructions[count++] = instruction;
    return 1;
}

void mScript::resolveLabels(int32_t first) {
    for (int32_t i = first; i < count; ++i) {
        Instruction& jump = instructions[i];
        if (jump.target == 0) continue;
        int32_t found = -1;
        for (int32_t j = 0; j < count && found < 0; ++j) {
            const Instruction& label = instructions[j];
            if ((label.opcode == opLabel || label.opcode == opLabelMark) &&
                label.operand == jump.target)
                found = j;
        }
        if (found >= 0) {
            jump.target = static_cast<uint16_t>(found);
            continue;
        }
        char number[8];
        std::snprintf(number, sizeof number, "%d", jump.target);
        reportError(idSprite, errNoLabel, number);
        jump = Instruction{};
    }
}
