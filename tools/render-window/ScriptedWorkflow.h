#pragma once

// What the scripted download does when the window's timer starts it.
enum class TScript { Ready, Failed };

// The state pictures are taken from inside the scripted download; the tool
// sets these before the window is created.
struct ScriptedWorkflow {
    static inline TScript script = TScript::Ready;
    // Called with a picture's name at the moment the window shows that state.
    static inline void (*snapshot)(const char* name) = nullptr;
};
