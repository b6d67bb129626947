#include "ovraemu/netscenario.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace ovraemu {

namespace {

constexpr int kMaxToner = 100;

struct LineError {
    std::string message;
};

std::string StripComment(const std::string& line)
{
    const size_t hash = line.find('#');
    return hash == std::string::npos ? line : line.substr(0, hash);
}

std::vector<std::string> SplitWords(const std::string& line)
{
    std::istringstream stream(line);
    std::vector<std::string> words;
    std::string word;
    while (stream >> word)
        words.push_back(word);
    return words;
}

// Plain decimal seconds: digits with at most one point ("10", "0.3", ".5").
bool ParseSeconds(const std::string& text, double* seconds)
{
    int digits = 0, points = 0;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)))
            ++digits;
        else if (c == '.')
            ++points;
        else
            return false;
    }
    if (digits == 0 || points > 1)
        return false;
    *seconds = std::strtod(text.c_str(), nullptr);
    return true;
}

bool ParseToner(const std::string& text, int* toner)
{
    if (text.empty() || text.size() > 3)
        return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    *toner = std::atoi(text.c_str());
    return *toner <= kMaxToner;
}

// A 16-bit code in hexadecimal, with or without 0x: "0x11A0", "11a0".
bool ParseCode(const std::string& text, uint16_t* code)
{
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (digits.empty() || digits.size() > 4)
        return false;
    for (char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    *code = uint16_t(std::strtoul(digits.c_str(), nullptr, 16));
    return true;
}

bool ParseOption(const std::string& word, ScenarioStep* step, LineError* error)
{
    const size_t equals = word.find('=');
    if (equals == std::string::npos) {
        error->message = "option '" + word + "' is not of the form name=value";
        return false;
    }
    const std::string name = word.substr(0, equals);
    const std::string value = word.substr(equals + 1);
    if (name == "toner") {
        int toner = 0;
        if (!ParseToner(value, &toner)) {
            error->message = "toner must be a whole percent 0..100, not '" + value + "'";
            return false;
        }
        step->toner = toner;
        return true;
    }
    if (name == "error" || name == "warning") {
        uint16_t code = 0;
        if (!ParseCode(value, &code)) {
            error->message = name + " must be a 16-bit hexadecimal code such as 0x11A0, not '" + value + "'";
            return false;
        }
        (name == "error" ? step->extraErrors : step->extraWarnings).push_back(code);
        return true;
    }
    error->message = "unknown option '" + name + "' (known: toner, error, warning)";
    return false;
}

bool ParseStep(const std::vector<std::string>& words, double seconds, ScenarioStep* step, LineError* error)
{
    const NamedState* state = FindNamedState(words[1]);
    if (!state) {
        error->message = "unknown state '" + words[1] + "' (known: " + NamedStateList() + ", end)";
        return false;
    }
    step->atSeconds = seconds;
    step->state = *state;
    for (size_t i = 2; i < words.size(); ++i) {
        if (!ParseOption(words[i], step, error))
            return false;
        step->options += (step->options.empty() ? "" : " ") + words[i];
    }
    if (!state->SetsPrinterState() && !(step->extraErrors.empty() && step->extraWarnings.empty())) {
        error->message = "'" + state->name + "' keeps the printer's state and takes no error or warning";
        return false;
    }
    return true;
}

// One non-empty line into the scenario read so far.
bool ParseLine(const std::vector<std::string>& words, int lineNumber, Scenario* scenario, LineError* error)
{
    if (scenario->endSeconds) {
        error->message = "nothing may follow the 'end' line";
        return false;
    }
    if (words.size() < 2) {
        error->message = "expected '<seconds> <state> [options]'";
        return false;
    }
    double seconds = 0;
    if (!ParseSeconds(words[0], &seconds)) {
        error->message = "'" + words[0] + "' is not a time in seconds";
        return false;
    }
    const double previous = scenario->steps.empty() ? 0.0 : scenario->steps.back().atSeconds;
    if (seconds < previous) {
        error->message = "time " + words[0] + " goes back before the previous step";
        return false;
    }
    if (words[1] == "end") {
        if (words.size() > 2 || scenario->steps.empty() || seconds <= previous) {
            error->message = "'end' takes no options and must come after the last step";
            return false;
        }
        scenario->endSeconds = seconds;
        return true;
    }
    ScenarioStep step;
    step.line = lineNumber;
    if (!ParseStep(words, seconds, &step, error))
        return false;
    scenario->steps.push_back(std::move(step));
    return true;
}

} // namespace

bool ParseScenario(const std::string& text, Scenario* scenario, ScenarioError* error)
{
    Scenario parsed;
    std::istringstream stream(text);
    std::string line;
    int lineNumber = 0;
    while (std::getline(stream, line)) {
        ++lineNumber;
        const std::vector<std::string> words = SplitWords(StripComment(line));
        if (words.empty())
            continue;
        LineError lineError;
        if (!ParseLine(words, lineNumber, &parsed, &lineError)) {
            *error = {lineNumber, lineError.message};
            return false;
        }
    }
    if (parsed.steps.empty()) {
        *error = {0, "the scenario has no steps"};
        return false;
    }
    *scenario = std::move(parsed);
    return true;
}

bool LoadScenarioFile(const std::string& path, Scenario* scenario, ScenarioError* error)
{
    std::ifstream file(path);
    if (!file) {
        *error = {0, "cannot read the scenario file"};
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return ParseScenario(text.str(), scenario, error);
}

} // namespace ovraemu
