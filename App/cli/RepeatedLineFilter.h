#pragma once

#include <functional>
#include <streambuf>
#include <string>

namespace orvaneh {

// The result stream when standard output and the message stream are the same terminal: a
// whole line that the console has just shown as a message (a banner such as "Fin de
// l'importation") is not written a second time. Lines are passed on as they end; a flush passes
// on an unfinished line as it is. Scripts, which read the result apart, see every line.
class RepeatedLineFilter final : public std::streambuf {
public:
    // `alreadyShown` answers whether a line was just shown, and forgets it once asked.
    RepeatedLineFilter(std::streambuf& target, std::function<bool(const std::string&)> alreadyShown);
    ~RepeatedLineFilter() override;
    RepeatedLineFilter(const RepeatedLineFilter&) = delete;
    RepeatedLineFilter& operator=(const RepeatedLineFilter&) = delete;

protected:
    int_type overflow(int_type character) override;
    int sync() override;

private:
    std::streambuf& target_;
    std::function<bool(const std::string&)> alreadyShown_;
    std::string line_;

    void passOn();
};

} // namespace orvaneh
