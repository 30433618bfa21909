kavro_unit(curl_unit curl_unit.cpp curl_core)
kavro_e2e(curl_net curl_net.cpp netns curl_core)
kavro_e2e_apart(curl_nginx curl_net "Nginx.*" netns)
