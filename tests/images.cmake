# The built-in images' tests run the generator on files they make, and
# velquor-cli for its --version.
if(TARGET test_images)
  add_dependencies(test_images vq_imagegen)
  target_compile_definitions(test_images PRIVATE VQ_IMAGEGEN="$<TARGET_FILE:vq_imagegen>")
  if(TARGET velquor-cli)
    add_dependencies(test_images velquor-cli)
  endif()
endif()
