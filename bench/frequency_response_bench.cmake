# The frequency response benchmark paints the response dialog's view, as the GUI thread does.
target_link_libraries(frequency_response_bench PRIVATE response)
