target_sources(obu_core PRIVATE
    TGoToWeb.h TGoToWeb.cpp
)
