// The check the interop tests make of bad input: an error of one line that says what.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace vorlin::test {

inline void ExpectError(const std::function<void()>& body, const std::string& message) {
    try {
        body();
        ADD_FAILURE() << "no error; expected: " << message;
    } catch (const std::exception& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(message), std::string::npos) << what;
        EXPECT_EQ(what.find('\n'), std::string::npos) << what;
    }
}

} // namespace vorlin::test
