# Which layer may lean on which is kept by the build. Each layer's CMakeLists.txt names, beside
# its target, the libraries the target must never reach; once every target exists, the root
# CMakeLists.txt looks at all a guarded target links, however indirectly, and a forbidden library
# among them stops the configuration.

# kstune_links_of(<target> <out>): every library <target> links, directly or through others.
function(kstune_links_of target out)
  set(seen)
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue current)
    if(current IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${current})
    if(NOT TARGET ${current})
      continue() # a plain library file or flag: it links nothing further that we know of
    endif()
    get_target_property(links ${current} INTERFACE_LINK_LIBRARIES)
    if(links)
      # $<LINK_ONLY:x> is how a static library passes on its private links: they reach the link
      # line all the same.
      list(TRANSFORM links REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1")
      list(APPEND queue ${links})
    endif()
  endwhile()
  list(REMOVE_ITEM seen ${target})
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# kstune_forbid_links(<target> <what> <regex>…): <target> must reach no library whose name matches
# one of the regular expressions; <what> says in words what that is, for the message.
function(kstune_forbid_links target what)
  set_property(GLOBAL APPEND PROPERTY KSTUNE_LAYER_GUARDS "${target}")
  set_property(GLOBAL PROPERTY KSTUNE_GUARD_WHAT_${target} "${what}")
  set_property(GLOBAL PROPERTY KSTUNE_GUARD_REGEX_${target} "${ARGN}")
endfunction()

# Called once at the end of the root CMakeLists.txt, when every target is known.
function(kstune_check_layer_guards)
  get_property(guarded GLOBAL PROPERTY KSTUNE_LAYER_GUARDS)
  foreach(target IN LISTS guarded)
    if(NOT TARGET ${target})
      continue() # not part of this build (the TSan build leaves out most layers)
    endif()
    get_property(what GLOBAL PROPERTY KSTUNE_GUARD_WHAT_${target})
    get_property(regexes GLOBAL PROPERTY KSTUNE_GUARD_REGEX_${target})
    kstune_links_of(${target} links)
    set(found)
    foreach(regex IN LISTS regexes)
      set(matching ${links})
      list(FILTER matching INCLUDE REGEX "${regex}")
      list(APPEND found ${matching})
    endforeach()
    if(found)
      list(REMOVE_DUPLICATES found)
      message(FATAL_ERROR "${target} must link ${what}, but reaches ${found}")
    endif()
  endforeach()
endfunction()
