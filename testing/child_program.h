#pragma once
// ChildProgram: a program run as a child with some environment of its own, its
// output kept in a file (for when something goes wrong), stopped with SIGTERM
// (SDL makes that a quit), killed when it does not end within 5 s. Its standard input is
// this program's, or the descriptor `input` when one is given.

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace zarn {

class ChildProgram {
public:
    ChildProgram(const std::string& path, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, const std::string& log, int input = -1);
    ~ChildProgram() { stop(); }
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    void stop();
    // The last 2000 characters it wrote.
    std::string output() const;

private:
    pid_t pid_ = -1;
    std::string log_;
};

}  // namespace zarn
