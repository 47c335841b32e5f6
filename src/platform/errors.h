// Kolmo's exception types.
//
// Errors are thrown by the layer that finds the problem and caught once, at the
// action of a window or in kolmo-cli's main, where they become the Slovene error
// box with its fixed title.  The `what()` text is for logs and tests; the user
// sees the action's own message.
#pragma once

#include <stdexcept>
#include <string>

namespace kolmo {

// Base of every error Kolmo throws on purpose.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that is missing, unreadable or not in its expected format.
class FileError : public Error {
public:
    using Error::Error;
};

// A data file (geoid model, border) that cannot be loaded or has the wrong shape.
class DataFileError : public FileError {
public:
    using FileError::FileError;
};

// A computation that cannot produce a result: no convergence, a singular
// system, too few common points.
class ComputationError : public Error {
public:
    using Error::Error;
};

} // namespace kolmo
