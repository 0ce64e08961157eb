// Test support: a COM error-information interface with a given description
// and source, made the way the platform makes them.
#pragma once

#include <string>

#include "platform/com_error.hpp"

using OleText = std::basic_string<OLECHAR>;

// The text with every byte taken as one code unit (ISO 8859-1).
OleText Ole(const std::string& latin1);

// A new interface holding one reference, which the caller releases; an empty
// optional text is stored as no text at all.
IErrorInfo* MakeErrorInformation(const OleText* description, const OleText* source);

// The interface's current reference count.
ULONG ReferenceCount(IErrorInfo* info);
