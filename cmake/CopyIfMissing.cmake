# Copies FROM to TO unless TO exists: a file the program later rewrites (default.conf after
# "Default Settings") keeps what the user saved across builds.
if(NOT EXISTS "${TO}")
    get_filename_component(_dir "${TO}" DIRECTORY)
    file(MAKE_DIRECTORY "${_dir}")
    file(COPY_FILE "${FROM}" "${TO}")
endif()
