#pragma once
#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "engine/core/mFile.h"
#include "engine/platform/ReportSink.h"
#include "engine/sprite/mScript.h"
#include "engine/sprite/mSprite.h"
#include "tests/support/TempFile.h"

namespace spritetest {

// An instruction as the tests compare it.
struct Record {
    uint16_t opcode;
    uint16_t target;
    int32_t operand;
    bool operator==(const Record&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Record& r) {
        return out << '{' << r.opcode << ',' << r.target << ',' << r.operand << '}';
    }
};
using Records = std::vector<Record>;

inline Records recordsOf(const mSprite& sprite) {
    Records out;
    if (!sprite.script) return out;
    for (int32_t i = 0; i < sprite.script->count; ++i) {
        const auto& instruction = sprite.script->instructions[i];
        out.push_back({instruction.opcode, instruction.target, instruction.operand});
    }
    return out;
}

// Compiles the bytes, written to a real file, into the sprite; loadScript's result.
inline int32_t loadScriptBytes(mSprite& sprite, std::span<const uint8_t> bytes) {
    testing_support::TempFile source(bytes, ".txt");
    mFile file;
    if (!file.open(source.path(), 0)) return -1;
    int32_t result = sprite.loadScript(file);
    file.close();
    return result;
}

inline int32_t loadScriptText(mSprite& sprite, const std::string& text) {
    return loadScriptBytes(sprite,
                           std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// Every captured report, repeats included, as "caption/text".
inline std::vector<std::string> reportTexts(const platform::ReportSink::Capture& capture) {
    std::vector<std::string> out;
    for (const auto& run : capture.runs())
        out.insert(out.end(), run.count, run.report.caption + "/" + run.report.text);
    return out;
}

}  // namespace spritetest
