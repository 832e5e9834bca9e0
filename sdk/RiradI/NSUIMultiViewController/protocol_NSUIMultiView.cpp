#include <NSUIMultiViewController/protocol_NSUIMultiView.h>

bool import_protocol_NSUIMultiView() { return true; }
