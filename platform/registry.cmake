target_sources(obu_core PRIVATE
    Registry.h Registry.cpp
    XdgRegistry.h XdgRegistry.cpp
)
