// The words of a control command line and its answers ("ok", "error TEXT").
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace ovraemu {

// The answer of a command that succeeded without a value.
inline const std::string kOk = "ok";

// The answer of a command that failed: "error " and the message.
std::string Error(const std::string& message);
// The words of a line, split at white space.
std::vector<std::string> SplitWords(const std::string& line);
// A decimal device id; no value when the text is anything else.
std::optional<int> ParseId(const std::string& text);

// The answer to a control line: run on its words; an error it throws is the "error" answer.
template <typename Run>
std::string AnswerLine(const std::string& line, const Run& run)
{
    try {
        return run(SplitWords(line));
    } catch (const std::exception& e) {
        return Error(e.what());
    }
}

// The control commands of an emulator's testbed. "add", "dir" and "quit" mean the
// same for every emulator; every other command is the emulator's own and names a device.
class TestbedInterpreter
{
public:
    virtual ~TestbedInterpreter() = default;

    // The answer to one control line.
    std::string Execute(const std::string& line);
    bool QuitRequested() const { return quit_; }
    // The testbed's folder, which "dir" answers.
    virtual std::string RootDir() const = 0;

protected:
    using Words = std::vector<std::string>;

    virtual std::string Add(const Words& words) = 0;
    // A command other than add, dir and quit: words[0] is its name.
    virtual std::string RunDeviceCommand(const Words& words) = 0;

private:
    std::string Run(const Words& words);

    bool quit_ = false;
};

} // namespace ovraemu
