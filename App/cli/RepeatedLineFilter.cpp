#include "App/cli/RepeatedLineFilter.h"

#include <utility>

namespace orvaneh {

RepeatedLineFilter::RepeatedLineFilter(std::streambuf& target,
                                       std::function<bool(const std::string&)> alreadyShown)
    : target_(target), alreadyShown_(std::move(alreadyShown)) {}

RepeatedLineFilter::~RepeatedLineFilter() {
    sync();
}

RepeatedLineFilter::int_type RepeatedLineFilter::overflow(int_type character) {
    if (traits_type::eq_int_type(character, traits_type::eof())) {
        return traits_type::not_eof(character);
    }
    line_.push_back(traits_type::to_char_type(character));
    if (line_.back() == '\n') {
        const std::string text = line_.substr(0, line_.size() - 1);
        if (!text.empty() && alreadyShown_(text)) {
            line_.clear();
        } else {
            passOn();
        }
    }
    return character;
}

int RepeatedLineFilter::sync() {
    passOn();
    return target_.pubsync();
}

void RepeatedLineFilter::passOn() {
    if (!line_.empty()) {
        target_.sputn(line_.data(), static_cast<std::streamsize>(line_.size()));
        line_.clear();
    }
}

} // namespace orvaneh
