#include "platform/Controls.h"

namespace tallowick::platform {

const char* colorName(NamedColor color) {
    switch (color) {
    case NamedColor::Black:
        return "black";
    case NamedColor::Gray:
        return "gray";
    case NamedColor::Magenta:
        return "magenta";
    case NamedColor::Purple:
        return "purple";
    }
    return "black";
}

} // namespace tallowick::platform
