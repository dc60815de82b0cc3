# Warnings for the project's own targets (JUCE's sources keep their own settings).
function(tsy_enable_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
                                             -Wno-missing-field-initializers)
endfunction()
