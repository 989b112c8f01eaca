#pragma once

#include <stdexcept>
#include <string>

// A document that cannot be turned into text; what() is the reason shown to the user.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const std::string& reason) : std::runtime_error(reason) {}
};
