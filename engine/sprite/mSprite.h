#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/sprite/mScript.h"
#include "engine/stage/mRenderer.h"

class mFile;
class mImage;

// A renderer with a position, a nesting visibility count, a frame number, a speed, script
// state and a list of sounds. Each tick of the stage advances it one step (or several when
// catch-up is on and the tick comes late) and re-applies its position, so that the stage
// repaints what moved. It draws nothing itself; image sprites give it pixels.
class mSprite : public mRenderer {
  public:
    // spriteFlags bits.
    static constexpr uint32_t flagHidden = 1;      // set while hideCount is below 0
    static constexpr uint32_t flagPaused = 2;      // ticks do nothing
    static constexpr uint32_t flagHitPending = 4;  // a hit not yet consumed by the script
    static constexpr uint32_t flagCatchUp = 8;     // a late tick runs several steps
    static constexpr uint32_t flagLoop = 16;       // image sprites wrap to frame 0
    static constexpr uint32_t flagStepDue = 32;    // another catch-up step is due
    // Instructions one step of a script performs at most: a cycle of jumps without a yield
    // ends the step there instead of hanging the animation thread.
    static constexpr int32_t stepInstructionLimit = 4096;

    mSprite() = default;
    // Copies the sprite's own state; the copy takes one more use of every sound and of the
    // script. The copy is on no stage.
    mSprite(const mSprite& other);
    // Releases the sounds and script held, then takes the source's state, sounds and script.
    mSprite& operator=(const mSprite& other);
    // Destroys every sound, and the script, whose last use this sprite held.
    ~mSprite() override;

    // Restarts the script unless paused.
    void attach() override;
    void tick(uint32_t lateness) override;
    void hit(mRenderer& other) override;

    // Moves the hit rectangle and bounds with the position and marks the new and old bounds
    // dirty. A z of 0 or less keeps the current depth.
    virtual void setPosition(int32_t newX, int32_t newY, int32_t newZ);
    virtual void moveBy(int32_t dx, int32_t dy, int32_t dz);
    virtual void setOrigin(int32_t newOriginX, int32_t newOriginY);
    // Hides nest: each show undoes one hide; shows beyond that do nothing.
    virtual void show();
    virtual void hide();
    virtual void startScript(int32_t index);
    virtual void pause();
    virtual void resume();
    // Scales the interval by 100 / percent. A speed of 0 counts as 1 percent.
    virtual void setSpeed(uint32_t percent);
    virtual void setCatchUp(int32_t on);
    virtual void setLoop(int32_t on);
    // Takes one use of the sound and appends it to the list.
    virtual void addSound(mImage& sound);
    // Plays sound `index` (0 is the first added) with `length` and `loops`; 0 if there is no
    // such sound, else 1.
    virtual int32_t playSound(int32_t index, int32_t length, int32_t loops);
    // Compiles the script text at the open file's cursor, up to "END" or the end of the file,
    // behind the instructions the sprite's script already holds (a new script on first use).
    // 1 if the sprite then has instructions; else it holds no script and 0 is returned.
    virtual int32_t loadScript(mFile& file);

    uint32_t stateBits = 0;
    uint32_t lastHitId = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t originX = 0;
    int32_t originY = 0;
    int32_t hideCount = 0;      // 0 visible; below 0 hidden
    uint32_t speed = 100;       // percent
    mScript* script = nullptr;  // one use held on it; shared by copies
    int32_t pc = 0;             // next script instruction
    int32_t frame = 0;
    uint32_t spriteFlags = 0;
    std::vector<mImage*> sounds;  // in the order added; one use held on each

  protected:
    // One animation step: the script up to its next yield, or without a script the next frame.
    void advance();
    // `ms` × 100 / speed, never 0 for a non-zero `ms` and never past the 32-bit range.
    uint32_t scaledBySpeed(uint32_t ms) const;
    // The depth part of setPosition: z > 0 and different sets it and re-sorts.
    void applyDepth(int32_t newZ);
    // Positions come from programs and scripts unchecked: sums saturate instead of overflowing.
    static int32_t saturatedSum(int32_t a, int64_t b);
    static Rect moved(const Rect& rect, int64_t dx, int64_t dy);

  private:
    using ScriptOperation = bool (*)(mSprite&, const mScript::Instruction&);
    // Performs an instruction; true when it yields. Indexed by opcode.
    static const std::array<ScriptOperation, mScript::opcodeCount> scriptOperations;

    void copyState(const mSprite& other);
    void releaseSounds();
    void releaseScript();
    // Runs the script from `pc` up to and including the next yield, or to its end.
    void runScript();
    mScript::Instruction compileInstruction(uint16_t opcode, const char* argument);
    // Opens the sound and attaches it as the next one; reported when it cannot be opened.
    void attachWaveFile(const std::string& name);
};
