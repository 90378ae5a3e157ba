// The script compiler and interpreter over one input: a control byte chooses the buffer sizes
// of the file read and the hit id of a renderer that hits the sprite now and then; the rest is
// the script's source. Compiled from memory and from a file, the source gives the same
// instructions; at most 255 are stored, every opcode is one of the table's, every jump goes to
// a label instruction and only the compiler's own reports appear. The script then runs for a
// number of ticks, each of which returns with `pc` inside the table or just past its end.
#include <vector>

#include "engine/core/mFile.h"
#include "engine/sprite/mScript.h"
#include "engine/sprite/mSprite.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"

namespace {

using fuzz::check;
using Instruction = mScript::Instruction;

constexpr int32_t ticks = 12;

struct Compiled {
    int32_t result = 0;
    std::vector<Instruction> instructions;
};

Compiled compile(mSprite& sprite, mFile& source) {
    Compiled out;
    out.result = sprite.loadScript(source);
    source.close();
    check(out.result == (sprite.script ? 1 : 0), "result and script disagree");
    if (!sprite.script) return out;
    const mScript& script = *sprite.script;
    check(script.count > 0 && script.count <= mScript::capacity, "instruction count");
    for (int32_t i = 0; i < script.count; ++i) {
        const Instruction& instruction = script.instructions[i];
        check(instruction.opcode < mScript::opEnd, "opcode outside the table");
        if (mScript::jumps(instruction.opcode)) {
            check(instruction.target < script.count, "jump outside the table");
            uint16_t label = script.instructions[instruction.target].opcode;
            check(label == mScript::opLabel || label == mScript::opLabelMark, "jump to no label");
        } else {
            check(instruction.target == 0, "target on an instruction that does not jump");
        }
        out.instructions.push_back(instruction);
    }
    return out;
}

}  // namespace

int fuzzScript(const uint8_t* data, std::size_t size) {
    fuzz::ControlBytes control(data, size);
    const uint8_t mode = control.next();
    const auto text = control.rest();

    platform::ReportSink::Capture capture;
    mSprite fromMemory;
    mSprite fromFile;
    const auto [inMemory, onDisk] =
        fuzz::readFromMemoryAndFile(text, mode, [&](mFile& source, bool fromDisk) {
            return compile(fromDisk ? fromFile : fromMemory, source);
        });
    check(inMemory.result == onDisk.result && inMemory.instructions == onDisk.instructions,
          "memory and file compile differently");

    mRenderer other;
    other.hitId = mode >> 5;
    for (int32_t tick = 0; tick < ticks; ++tick) {
        if (tick % 4 == 3) fromFile.hit(other);
        fromFile.tick(0);
        if (fromFile.script) {
            check(
                static_cast<uint32_t>(fromFile.pc) <= static_cast<uint32_t>(fromFile.script->count),
                "pc outside the table");
        }
    }
    // Each stored instruction reports at most twice while compiling (a sound file the file
    // layer and the sprite cannot open), once more for its label; a cycle once; a sound that
    // cannot be played once per tick. Both compilations report alike.
    fuzz::checkReports(capture,
                       {{"mSprite", "Missing parameter"},
                        {"mSprite", "Label doesn't exist"},
                        {"mSprite", "File open error"},
                        {"mSprite", "Value out of range"},
                        {"mFile", "File open error"},
                        {"mFile", "File read error"},
                        {"mAudioWAV", "File type error"},
                        {"mAudioWAV", "Bad ProgInst Value"}},
                       2 * (3 * mScript::capacity + 1) + ticks * mScript::capacity);
    return 0;
}
