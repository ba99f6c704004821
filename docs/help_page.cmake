# Writes one help page whole: the page's source (docs/help/*.html) holds only
# its body, from its <h1> heading to its last paragraph; every page gets the
# same head, titled with that heading, and the same closing tags.
#   cmake -DINPUT=<source page> -DOUTPUT=<page written> -P help_page.cmake
file(READ "${INPUT}" body)
if(NOT body MATCHES "^<h1>([^<]+)</h1>")
  message(FATAL_ERROR "${INPUT}: a help page starts with its <h1> heading")
endif()
set(title "${CMAKE_MATCH_1}")
file(WRITE "${OUTPUT}"
  "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
  "<html lang=\"fr\">\n"
  "<head>\n"
  "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
  "<title>${title}</title>\n"
  "<link rel=\"stylesheet\" type=\"text/css\" href=\"style.css\">\n"
  "</head>\n"
  "<body>\n"
  "${body}"
  "</body>\n"
  "</html>\n")
