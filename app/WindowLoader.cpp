#include "app/WindowLoader.h"

#include "app/StopSignals.h"

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>

// The window module's bytes, put here by the build.
asm(".section .rodata\n"
    ".balign 64\n"
    "dph2012_window_module_start:\n"
    ".incbin \"" DPH2012_WINDOW_MODULE "\"\n"
    "dph2012_window_module_end:\n"
    ".previous\n");
extern "C" const unsigned char dph2012_window_module_start[];
extern "C" const unsigned char dph2012_window_module_end[];

namespace app {

namespace {

// The module, loaded from memory: nothing is written to disk and nothing is left behind.
class WindowModule {
public:
    WindowModule()
    {
        const int file = ::memfd_create("dph2012-window", MFD_CLOEXEC);
        if (file < 0)
            throw std::runtime_error("cannot make room for the window module in memory");
        const unsigned char* at = dph2012_window_module_start;
        while (at < dph2012_window_module_end) {
            const ssize_t written = ::write(file, at, static_cast<std::size_t>(dph2012_window_module_end - at));
            if (written <= 0) {
                ::close(file);
                throw std::runtime_error("cannot unpack the window module");
            }
            at += written;
        }
        const std::string path = "/proc/self/fd/" + std::to_string(file);
        handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ::close(file);
        if (!handle_)
            throw std::runtime_error(std::string("cannot load the window module: ") + ::dlerror());
    }
    // Never unloaded: the toolkit registers handlers of its own that run at exit.
    WindowModule(const WindowModule&) = delete;
    WindowModule& operator=(const WindowModule&) = delete;

    template <class Function>
    Function* entry(const char* name) const
    {
        void* symbol = ::dlsym(handle_, name);
        if (!symbol)
            throw std::runtime_error(std::string("the window module lacks ") + name);
        return reinterpret_cast<Function*>(symbol);
    }

private:
    void* handle_ = nullptr;
};

int stopSignalOfThisProcess()
{
    return stopSignal();
}

} // namespace

int runWindow(int& argc, char** argv)
{
    const WindowModule module;
    const auto run = module.entry<int(int*, char**, int (*)(), int)>("dph2012_run_window");
    const int status = run(&argc, argv, &stopSignalOfThisProcess, stopSignalDescriptor());
    if (const int signal = stopSignal())
        return exitStatusForSignal(signal);
    return status;
}

int runProtocolPdf(int& argc, char** argv)
{
    const WindowModule module;
    return module.entry<int(int*, char**)>("dph2012_protocol_pdf")(&argc, argv);
}

} // namespace app
