// The multithread library: StartThread and the critical sections with their live list.
#include <atomic>
#include <mutex>

#include "runtime/args.h"
#include "runtime/library_commands.h"
#include "runtime/program.h"
#include "runtime/thread_primitives.h"

namespace rt {

namespace {

// A live section; the list is singly linked, newest first.
struct SectionNode {
    SectionNode* next;
    int32_t handle;
    OsSection* section;
};

SectionNode* liveSections = nullptr;
// Guards the list's links only; entering a section happens outside it.
std::mutex listLock;
std::atomic<int32_t> lastHandle{0};
std::once_flag shutdownRegistered;

int32_t NextHandle() {
    int32_t h;
    do h = lastHandle.fetch_add(1) + 1;
    while (h == 0);
    return h;
}

OsSection* FindSection(int32_t handle) {
    std::lock_guard<std::mutex> guard(listLock);
    for (SectionNode* n = liveSections; n; n = n->next)
        if (n->handle == handle) return n->section;
    return nullptr;
}

// Runs when the program ends: every section still on the list is deleted and freed.
void DeleteRemainingSections() {
    SectionNode* n;
    {
        std::lock_guard<std::mutex> guard(listLock);
        n = liveSections;
        liveSections = nullptr;
    }
    while (n) {
        SectionNode* next = n->next;
        DeleteOsSection(n->section);
        delete n;
        n = next;
    }
}

}  // namespace

void StartThread(Value* result, int32_t argc, Value* args) {
    Value routine = Arg(argc, args, 0);
    auto fn = reinterpret_cast<ThreadRoutine>(routine.AsPointer());
    if (routine.tag != kTagSubProgram || !fn) return SetBool(result, false);
    auto* handle = static_cast<int32_t*>(ArgVariable(argc, args, 2));
    SetBool(result, StartOsThread(fn, ArgInt(argc, args, 1), handle));
}

void CreateSection(Value* result, int32_t, Value*) {
    std::call_once(shutdownRegistered, [] { AddShutdownStep(&DeleteRemainingSections); });
    auto* node = new SectionNode{nullptr, NextHandle(), NewOsSection()};
    {
        std::lock_guard<std::mutex> guard(listLock);
        node->next = liveSections;
        liveSections = node;
    }
    SetInt(result, node->handle);
}

void EnterSection(Value*, int32_t argc, Value* args) {
    if (OsSection* s = FindSection(ArgInt(argc, args, 0))) EnterOsSection(s);
}

void LeaveSection(Value*, int32_t argc, Value* args) {
    if (OsSection* s = FindSection(ArgInt(argc, args, 0))) LeaveOsSection(s);
}

void DeleteSection(Value* result, int32_t argc, Value* args) {
    int32_t handle = ArgInt(argc, args, 0);
    SectionNode* found = nullptr;
    {
        std::lock_guard<std::mutex> guard(listLock);
        for (SectionNode** link = &liveSections; *link; link = &(*link)->next) {
            if ((*link)->handle == handle) {
                found = *link;
                *link = found->next;
                break;
            }
        }
    }
    if (found) {
        DeleteOsSection(found->section);
        delete found;
    }
    SetBool(result, found != nullptr);
}

}  // namespace rt
