// The error a player raises when the sound system refuses a request; it carries the message
// shown to the user.
#pragma once

#include <stdexcept>
#include <string>

class EMCIDeviceError : public std::runtime_error
{
public:
    explicit EMCIDeviceError(const std::string &message) : std::runtime_error(message) { }
};
