#include "shell/unexpected.h"

#include <cstdio>

namespace shell {
namespace {
UnexpectedCallHandler& Handler() {
    static UnexpectedCallHandler handler;
    return handler;
}
} // namespace

void SetUnexpectedCallHandler(UnexpectedCallHandler handler) {
    Handler() = std::move(handler);
}

void ReportUnexpectedCall(const std::string& call) {
    if (Handler()) {
        Handler()(call);
    } else {
        std::fprintf(stderr, "shell stand-in: unexpected call %s\n", call.c_str());
    }
}

} // namespace shell
