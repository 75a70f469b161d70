// The program's errors. Each carries the exact text the user is shown, as what().
#pragma once

#include <stdexcept>
#include <string>

namespace vorlin {

// An ordinary error raised with a message.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An index outside a typed list ("KEY Entry Index is out of bounds: 5").
class ListError : public Error {
public:
    using Error::Error;
};

// A failed file operation; code is the errno value, or 100 for a read past the end.
class IOError : public Error {
public:
    IOError(const std::string& message, int code) : Error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// A text that is not a number where one is required ("'x' is not a valid integer value").
class ConvertError : public Error {
public:
    using Error::Error;
};

// An operation a class does not provide (writing to a file inside a container, say).
class AbstractError : public Error {
public:
    AbstractError() : Error("Abstract Error") {}
};

} // namespace vorlin
