target_sources(obu_core PRIVATE
    Registry.h
    XdgRegistry.h XdgRegistry.cpp
)
