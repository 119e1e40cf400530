// How the shell stand-in reports a call that no test expected. Tests install
// a handler that fails the running test; tools keep the default, which writes
// the call to stderr.
#pragma once

#include <functional>
#include <string>

namespace shell {

using UnexpectedCallHandler = std::function<void(const std::string& call)>;

void SetUnexpectedCallHandler(UnexpectedCallHandler handler);
void ReportUnexpectedCall(const std::string& call);

} // namespace shell
