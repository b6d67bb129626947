// A small harness for the daemon's test programs: checks print a clear
// failure with file and line, every test case runs in order, and the program
// ends non-zero when any check failed.
#pragma once

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

namespace testcheck {

inline int& failures()
{
    static int count = 0;
    return count;
}

inline int& checks()
{
    static int count = 0;
    return count;
}

inline bool report(bool ok, const char* file, int line, const std::string& what)
{
    ++checks();
    if (!ok) {
        ++failures();
        fprintf(stderr, "FAIL %s:%d: %s\n", file, line, what.c_str());
    }
    return ok;
}

template <typename T>
auto printable(const T& v)
{
    if constexpr (std::is_integral_v<T> || std::is_enum_v<T>)
        return static_cast<long long>(v);
    else
        return v;
}

template <typename A, typename B>
bool equalValues(const A& a, const B& b)
{
    if constexpr ((std::is_integral_v<A> || std::is_enum_v<A>)&&(std::is_integral_v<B> || std::is_enum_v<B>))
        return static_cast<long long>(a) == static_cast<long long>(b);
    else
        return a == b;
}

// Evaluates each side once.
template <typename A, typename B>
bool checkEq(const A& va, const B& vb, const char* a, const char* b, const char* file, int line)
{
    std::string what = std::string(a) + " == " + b;
    if constexpr ((std::is_integral_v<A> || std::is_enum_v<A>)&&(std::is_integral_v<B> || std::is_enum_v<B>))
        what += " (got " + std::to_string(printable(va)) + ", expected " + std::to_string(printable(vb)) + ")";
    return report(equalValues(va, vb), file, line, what);
}

inline bool checkStr(const std::string& va, const std::string& vb, const char* a, const char* b, const char* file,
                     int line)
{
    return report(va == vb, file, line,
                  std::string(a) + " == " + b + "\n  got:      \"" + va + "\"\n  expected: \"" + vb + "\"");
}

struct stTestCase {
    const char* name;
    std::function<void()> body;
};

// Runs the cases and prints "N passed, N failed" (cases).
inline int run(const std::vector<stTestCase>& cases)
{
    int passed = 0;
    int failed = 0;
    for (const stTestCase& test : cases) {
        int before = failures();
        fprintf(stderr, "-- %s\n", test.name);
        test.body();
        if (failures() == before)
            ++passed;
        else
            ++failed;
    }
    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && checks() > 0 ? 0 : 1;
}

} // namespace testcheck

#define CHECK(cond) testcheck::report((cond), __FILE__, __LINE__, #cond)
#define CHECK_EQ(a, b) testcheck::checkEq((a), (b), #a, #b, __FILE__, __LINE__)
#define CHECK_STR(a, b) testcheck::checkStr(std::string(a), std::string(b), #a, #b, __FILE__, __LINE__)
#define TEST_CASE(fn)                                                                                                  \
    testcheck::stTestCase { #fn, fn }
