// Built with the include paths that zqvideo, zqchip and the window tests
// get: libzqscan's internal headers must be out of their reach, so that
// nothing but the public interface can be used from there.
#if __has_include("seam.h") ||                                                                     \
                  __has_include(                                                                   \
                      "sys.h") ||                                                                  \
                      __has_include(                                                               \
                          "sdk_internal.h") ||                                                     \
                          __has_include("zq_opencv_internal.h") ||                                 \
                                        __has_include("picture_kernels.h") ||                      \
                                                      __has_include("atomic_file.h") ||            \
                                                                    __has_include("czqpdf.h")
#error "an internal header of libzqscan is visible to the programs"
#endif
