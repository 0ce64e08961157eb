// The one line that describes the exception being handled.
#pragma once

#include <string>

// The description of the exception being handled; call it only from inside
// a catch handler (the exception is re-thrown to classify it and is still
// being handled afterwards):
// - a standard exception, every class of the DebuggableException family
//   among them: its what text, except that memory exhaustion
//   (std::bad_alloc itself) reads "bad allocation";
// - a COM error: "COM Error: " and, when it carries error information, its
//   description, " (", its source and ")"; otherwise its message text;
// - anything else, BadDNSReply among it: "No diagnostic message available".
// Throws std::bad_alloc when the text itself cannot be built.
std::string DescribeCurrentException();
