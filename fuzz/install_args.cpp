// The install helper's command line, which the privileged run takes from whoever started it:
// the command, the location name and the payload path as the helper checks them, and the
// system version text the installer reads.
//
// Input: the command up to a zero byte, the location name up to the next zero byte, then the
// payload path.
#include "FuzzSupport.h"

#include <LumoraApp/AuthDittoTool.h>
#include <LumoraInstallHelper/InstallHelper.h>

using lumora::installhelper::ParseRequest;
using lumora::installhelper::Request;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    lumora::fuzz::Input input(data, size);
    const std::string_view command = input.untilZero();
    const std::string_view location = input.untilZero();
    const std::string_view payload = input.rest();

    Request request;
    std::string error;
    const bool accepted = ParseRequest(command, location, payload, request, error);
    const std::string destination = AuthDittoTool::destinationWithLocationName(location, payload);
    if (accepted) {
        LUMORA_CHECK(error.empty());
        LUMORA_CHECK(command == "install" || command == "delete");
        LUMORA_CHECK(AuthDittoTool::locationWithName(location) != nullptr);
        LUMORA_CHECK(!payload.empty() && payload.front() == '/');
        // The destination is one plain name strictly inside the location folder.
        LUMORA_CHECK(!request.name.empty() && request.name != "." && request.name != "..");
        LUMORA_CHECK(request.name.find('/') == std::string::npos && request.name.find('\0') == std::string::npos);
        LUMORA_CHECK(request.destination == request.folder + "/" + request.name);
        LUMORA_CHECK(request.folder.compare(0, request.libraryRoot.size() + 1, request.libraryRoot + "/") == 0);
        LUMORA_CHECK(destination == request.destination);
    } else {
        LUMORA_CHECK(!error.empty());
    }
    if (destination.empty()) LUMORA_CHECK(!accepted);

    // The version codes read the same bytes: what one refuses, the other refuses too.
    const std::string_view text = std::string_view(reinterpret_cast<const char *>(data), size);
    const unsigned order = AuthDittoSystem::systemVersionOrderWithSystemVersionString(text);
    const unsigned display = AuthDittoSystem::systemVersionWithSystemVersionString(text);
    if (display == 0) LUMORA_CHECK(order == 0);
    if (order != 0) LUMORA_CHECK(AuthDittoSystem::systemVersionIsAtLeast(text, text));
    return 0;
}
