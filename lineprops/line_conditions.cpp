#include "lineprops/line_conditions.h"

namespace calorix::lineprops {

std::string_view Describe(LineStatus status) {
    switch (status) {
    case LineStatus::Ok: return "ok";
    case LineStatus::ForeignComponent: return "a component outside the model's 21";
    case LineStatus::OutOfRange: return "outside the model's range";
    case LineStatus::NoConvergence: return "the density solve found no stable root";
    case LineStatus::BadInput: return "bad input: a fraction, temperature or pressure not valid";
    }
    return "unknown";
}

}  // namespace calorix::lineprops
