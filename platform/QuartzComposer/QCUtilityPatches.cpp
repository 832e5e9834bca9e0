#include <QuartzComposer/QCPatch.h>

std::vector<std::pair<std::string, QCPatchFactory>> QCUtilityPatchClasses() { return {}; }
